// Resource identifiers of the monitor.
#pragma once

#define IDI_APPLICATION_ICON 1
