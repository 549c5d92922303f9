// What the shared parts of ui/ ask of the backend linked in. Not for the system's classes.
#pragma once

#include <functional>

namespace ui::detail {

// Any thread. Queues work to run once on the UI thread, in the order queued.
void QueueOnUiThread(std::function<void()> work);

}  // namespace ui::detail
