// Stop requests on POSIX systems.
#include "app/stop_requests.h"

void watch_stop_requests() {}
