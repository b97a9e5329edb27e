#pragma once

namespace er {

// Calendar event ("CLRC") and task ("TSRC") records.
struct CalenderInformation {
};

struct TasksInformation {
};

} // namespace er
