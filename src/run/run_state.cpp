// The one record of the run.
#include "run/run_state.h"

RunState runState;
