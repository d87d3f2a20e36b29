#include "settings/test_settings.h"

TestSettings testSettings;
