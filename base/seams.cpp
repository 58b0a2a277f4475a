#include "base/seams.h"

#include <mutex>
#include <random>

namespace trovabild {

namespace {
std::function<std::time_t()> clockSource;
std::function<int(int, int)> randomSource;
std::mutex randomMutex;
}  // namespace

void setClock(std::function<std::time_t()> now) { clockSource = std::move(now); }
void setRandomSource(std::function<int(int, int)> source) { randomSource = std::move(source); }

std::time_t currentTime() { return clockSource ? clockSource() : std::time(nullptr); }

int randomInt(int low, int high) {
  if (randomSource) return randomSource(low, high);
  std::lock_guard<std::mutex> hold(randomMutex);
  static std::mt19937 engine{std::random_device{}()};
  return std::uniform_int_distribution<int>(low, high)(engine);
}

}  // namespace trovabild
