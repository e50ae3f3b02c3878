#include "InstrumentLog.h"

Q_LOGGING_CATEGORY(lcInstrument, "zeb.instrument")
