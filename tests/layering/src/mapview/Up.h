#pragma once

#include "replay/Down.h"
