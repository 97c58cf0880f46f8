// The plain notification the components raise: "this sender changed" or
// "this sender is ready", with the sender typed as the raiser knows it.
#pragma once

#include <QObject>
#include <functional>

namespace vizuvod {

template <class TSender = QObject>
using TNotifyEvent = std::function<void(TSender* Sender)>;

}  // namespace vizuvod
