#include "device/converter_reports.h"
