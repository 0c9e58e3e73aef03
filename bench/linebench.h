#pragma once

// Polling a line of 32 units: rounds against the line's limit, the gaps between exchanges, a
// silent unit's cost; and the window's CPU with the Line window polling them.
void benchLineRounds(int seconds);
// adapterLatencyMs: how often the USB adapter hands on what it received (1: each byte; 16 as an
// FTDI adapter keeps by default).
void benchLineWindowCpu(int seconds, int adapterLatencyMs);
