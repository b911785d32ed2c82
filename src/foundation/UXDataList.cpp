#include "foundation/UXDataList.h"
