#include "lib/parallel_pack.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "lib/package_writer.h"

namespace {

struct PackSlot {
  PackInput input;
  std::vector<uint8_t> owned;
  std::vector<uint8_t> block;
  bool done = false;
};

// Slots live in a deque from the oldest unwritten item on; workers take
// queued slots by index. Everything below is guarded by mutex.
struct PackShared {
  CompressLevel level = kLevelDefault;
  std::mutex mutex;
  std::condition_variable queued;  // a slot to compress, or stop
  std::condition_variable packed;  // a slot is done
  std::deque<PackSlot> slots;
  size_t firstIndex = 0;  // item number of slots.front()
  std::deque<size_t> waiting;  // item numbers not yet taken by a worker
  bool stop = false;
};

void RunWorker(PackShared* shared) {
  std::unique_lock<std::mutex> lock(shared->mutex);
  for (;;) {
    shared->queued.wait(lock, [&] { return shared->stop || !shared->waiting.empty(); });
    if (shared->stop) return;
    size_t index = shared->waiting.front();
    shared->waiting.pop_front();
    // Deque elements keep their place while others are pushed or popped at
    // the ends, and this slot is not popped before it is done.
    PackSlot* slot = &shared->slots[index - shared->firstIndex];
    lock.unlock();
    PackBlock(slot->input.data, slot->input.size, shared->level, &slot->block);
    lock.lock();
    slot->done = true;
    shared->packed.notify_all();
  }
}

bool PackSerially(size_t count, CompressLevel level, const PackReadFn& read, const PackWriteFn& write) {
  PackSlot slot;
  for (size_t i = 0; i < count; i++) {
    slot.input = PackInput();
    slot.block.clear();
    if (!read(i, &slot.input, &slot.owned)) return false;
    if (slot.input.size > 0) PackBlock(slot.input.data, slot.input.size, level, &slot.block);
    if (!write(i, slot.input, slot.block)) return false;
  }
  return true;
}

}  // namespace

int PackThreads(int requested) {
  if (requested > 0) return requested;
  unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? int(cores) : 1;
}

bool PackInOrder(size_t count, int threads, CompressLevel level, size_t maxInFlight, const PackReadFn& read,
                 const PackWriteFn& write) {
  if (threads <= 1) return PackSerially(count, level, read, write);
  PackShared shared;
  shared.level = level;
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; t++) workers.emplace_back(RunWorker, &shared);

  size_t inFlight = 0;  // input bytes read and not yet written
  size_t nextRead = 0;
  bool ok = true;
  for (size_t nextWrite = 0; ok && nextWrite < count; nextWrite++) {
    // Read ahead while the bound allows; an item that packs nothing is done
    // at once. Reading happens outside the lock, into a slot no worker sees.
    while (nextRead < count && (nextRead == nextWrite || inFlight < maxInFlight)) {
      PackSlot slot;
      ok = read(nextRead, &slot.input, &slot.owned);
      if (!ok) break;
      slot.done = slot.input.size == 0;
      inFlight += slot.input.size;
      std::lock_guard<std::mutex> guard(shared.mutex);
      shared.slots.push_back(std::move(slot));
      if (!shared.slots.back().done) {
        shared.waiting.push_back(nextRead);
        shared.queued.notify_one();
      }
      nextRead++;
    }
    if (!ok) break;
    {
      std::unique_lock<std::mutex> lock(shared.mutex);
      shared.packed.wait(lock, [&] { return shared.slots.front().done; });
    }
    // Only this thread pops slots, and a done slot is no worker's any more.
    PackSlot& front = shared.slots.front();
    ok = write(nextWrite, front.input, front.block);
    inFlight -= front.input.size;
    std::lock_guard<std::mutex> guard(shared.mutex);
    shared.slots.pop_front();
    shared.firstIndex++;
  }
  {
    std::lock_guard<std::mutex> guard(shared.mutex);
    shared.stop = true;
    shared.queued.notify_all();
  }
  // A worker busy with a block finishes it first; its slot is still there.
  for (std::thread& worker : workers) worker.join();
  return ok;
}
