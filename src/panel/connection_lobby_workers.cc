// The workers' side of the ConnectionLobby: answering a request, and
// handing its connection back or to whoever claimed it.

#include <unistd.h>

#include "panel/connection_lobby.h"
#include "panel/connection_stream.h"

namespace gsadmin {

bool ConnectionLobby::claim(Taker taker) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = serving_.find(std::this_thread::get_id());
  if (found == serving_.end()) return false;
  found->second = std::move(taker);
  return true;
}

void ConnectionLobby::serve(std::unique_ptr<Connection> connection) {
  size_t size = connection->frame.size();
  bool last = connection->served + 1 >= limits_.requestsPerConnection;
  ConnectionStream stream(*connection, size, connection->answerBy, limits_.writeStall);
  bool closed = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    serving_[std::this_thread::get_id()] = nullptr;
  }
  bool answered = process_(stream, last, closed);
  Taker taker;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = serving_.find(std::this_thread::get_id());
    taker = std::move(found->second);
    serving_.erase(found);
    if (taker) released_.push_back(connection->fd());
  }
  if (taker) {
    wakeLobby();
    if (stream.clean()) taker(std::move(connection));
    return;
  }
  ++connection->served;
  connection->keep = answered && !closed && !last && stream.clean();
  connection->pending().erase(0, size);
  handBack(std::move(connection));
}

void ConnectionLobby::handBack(std::unique_ptr<Connection> connection) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;  // closed as it goes
    returned_.push_back(std::move(connection));
  }
  wakeLobby();
}

void ConnectionLobby::wakeLobby() {
  uint64_t one = 1;
  ssize_t ignored = write(wake_, &one, sizeof one);
  (void)ignored;
}

}  // namespace gsadmin
