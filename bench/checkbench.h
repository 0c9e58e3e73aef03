#pragma once

// The production check's costs: feeding it a line's readings, and writing its report.
void benchProductionCheck();
void benchCheckReport();
