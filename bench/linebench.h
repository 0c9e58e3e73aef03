#pragma once

// Polling a line of 32 units: rounds against the line's limit, the gaps between exchanges, a
// silent unit's cost; and the window's CPU with the Line window polling them.
void benchLineRounds(int seconds);
void benchLineWindowCpu(int seconds);
