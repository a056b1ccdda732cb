#include "velPicker.h"
