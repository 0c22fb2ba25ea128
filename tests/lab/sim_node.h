// The simulated Art-Net node lives with the lab (lab.h); this name stays for its users.
#pragma once

#include "lab.h"
