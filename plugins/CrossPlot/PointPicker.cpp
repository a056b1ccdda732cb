#include "PointPicker.h"
