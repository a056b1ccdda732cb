#include "LinearColorMapRGB.h"
