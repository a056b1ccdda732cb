#include "RealScaleDraw.h"
