#pragma once

// A check of 32 units at 9600 bit/s: its line time against plain polling, and the window's CPU
// while its Line window polls and checks them.
void benchCheckLineTime();
void benchLineWindowCheckCpu(int seconds, int adapterLatencyMs);
