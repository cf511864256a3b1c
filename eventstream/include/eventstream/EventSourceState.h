#pragma once

namespace eventstream {

enum class EventSourceState { connecting = 0, open = 1, closed = 2 };

}  // namespace eventstream
