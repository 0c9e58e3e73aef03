#pragma once

// The whole window's CPU while polling every 100 ms, shown offscreen: the share of one core over
// `seconds`, printed.
void benchWindowCpu(int seconds);
// The same window for `polls` polls, then returns; for a profile under callgrind.
void profileWindowPolls(int polls);
