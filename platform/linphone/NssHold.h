// Debian's SRTP library does its crypto through NSS and runs a self-test of each
// cipher while the core is created; each test opens NSS and shuts it again,
// loading its token module anew (about fifteen times). With NSS held open for
// the whole run, those openings only count up and down.
#pragma once

// Opens NSS once for the process (without certificate or module databases); later calls do nothing.
void HoldNssOpen();
