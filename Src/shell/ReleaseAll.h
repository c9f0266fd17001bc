// The release sequence: the normal shut-down and the common exit of fatal
// failures. Safe with any set of managers missing and safe to call twice.
#pragma once

void releaseAll();
