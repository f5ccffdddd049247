#pragma once

// The texts moved beside the history, which keeps the reason in both languages.
#include "fleet/cause_texts.h"
