// Stop requests on Windows.
#include "app/stop_requests.h"

void watch_stop_requests() {}
