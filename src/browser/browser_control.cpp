#include "browser/browser_control.h"
