#include "fit/forward_model.h"
