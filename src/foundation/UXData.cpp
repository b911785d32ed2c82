#include "foundation/UXData.h"
