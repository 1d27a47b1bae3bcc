// The program's version: the About box and kagero-dump --version show it.
#pragma once

#define KAGERO_VERSION_TEXT "1.10.158.1"
// The same version as numbers, for the version resources; keep both in step.
#define KAGERO_VERSION_NUMBERS 1, 10, 158, 1
