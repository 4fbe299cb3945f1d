// A snapshot enumerator over objects of the layer, walked one item at a time.
#pragma once

#include "RtcTypes.h"

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

template <typename T> class RtcEnum {
public:
    explicit RtcEnum(std::vector<std::shared_ptr<T>> items) : m_items(std::move(items)) {}

    // S_OK with the next item, S_FALSE at the end (item left untouched).
    HRESULT Next(std::shared_ptr<T>& item)
    {
        if (m_position >= m_items.size())
            return S_FALSE;
        item = m_items[m_position++];
        return S_OK;
    }

    HRESULT Reset()
    {
        m_position = 0;
        return S_OK;
    }

    HRESULT Skip(std::size_t count)
    {
        m_position += count;
        return m_position <= m_items.size() ? S_OK : S_FALSE;
    }

private:
    std::vector<std::shared_ptr<T>> m_items;
    std::size_t m_position = 0;
};

template <typename T> std::shared_ptr<RtcEnum<T>> MakeRtcEnum(std::vector<std::shared_ptr<T>> items)
{
    return std::make_shared<RtcEnum<T>>(std::move(items));
}
