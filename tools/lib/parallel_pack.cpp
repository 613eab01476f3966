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
  // A file in pieces: its chains, built by one job, then read by the jobs
  // of its pieces; the job that finishes the last piece joins them.
  MatchChains chains;
  std::vector<BlockPiece> pieces;
  size_t piecesLeft = 0;
};

// What a worker does for an item: the whole block, or for a file in pieces
// its chains first and then each piece.
const size_t kWholeBlock = ~size_t(0);
const size_t kBuildChains = ~size_t(0) - 1;

struct PackJob {
  size_t item;
  size_t piece;  // kWholeBlock, kBuildChains or a piece number
};

// Slots live in a deque from the oldest unwritten item on; workers take
// queued jobs by item number. Everything below is guarded by mutex.
struct PackShared {
  CompressLevel level = kLevelDefault;
  std::mutex mutex;
  std::condition_variable queued;  // a job to do, or stop
  std::condition_variable packed;  // a slot is done
  std::deque<PackSlot> slots;
  size_t firstIndex = 0;  // item number of slots.front()
  std::deque<PackJob> waiting;  // jobs not yet taken by a worker
  bool stop = false;
};

// Joins the pieces of a file into its block, or stores the bytes when that
// is not smaller, as PackBlock does.
void JoinPieces(PackSlot* slot) {
  const uint8_t* data = slot->input.data;
  const size_t size = slot->input.size;
  if (!JoinBlockPieces(data, size, slot->pieces, &slot->block) || slot->block.size() >= size)
    StoreBlock(data, size, &slot->block);
  slot->pieces = std::vector<BlockPiece>();
  slot->chains = MatchChains();
}

void RunWorker(PackShared* shared) {
  std::unique_lock<std::mutex> lock(shared->mutex);
  for (;;) {
    shared->queued.wait(lock, [&] { return shared->stop || !shared->waiting.empty(); });
    if (shared->stop) return;
    const PackJob job = shared->waiting.front();
    shared->waiting.pop_front();
    // Deque elements keep their place while others are pushed or popped at
    // the ends, and this slot is not popped before it is done.
    PackSlot* slot = &shared->slots[job.item - shared->firstIndex];
    const size_t size = slot->input.size;
    lock.unlock();
    if (job.piece == kWholeBlock) {
      PackBlock(slot->input.data, size, shared->level, &slot->block);
    } else if (job.piece == kBuildChains) {
      PrepareBlockPieces(slot->input.data, size, &slot->chains);
    } else {
      // Each job writes only its own piece of the sized vector.
      CompressBlockPiece(slot->chains, shared->level, job.piece, &slot->pieces[job.piece]);
    }
    lock.lock();
    if (job.piece == kBuildChains) {
      // The pieces go first in the queue: the file is written before any
      // later one, so finishing it soon keeps the writer going.
      for (size_t i = slot->pieces.size(); i > 0; i--) shared->waiting.push_front({job.item, i - 1});
      shared->queued.notify_all();
      continue;
    }
    if (job.piece != kWholeBlock) {
      if (--slot->piecesLeft > 0) continue;
      lock.unlock();
      JoinPieces(slot);
      lock.lock();
    }
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
      const size_t pieces = CountBlockPieces(slot.input.size);
      if (pieces > 1) {
        slot.pieces.resize(pieces);
        slot.piecesLeft = pieces;
      }
      std::lock_guard<std::mutex> guard(shared.mutex);
      shared.slots.push_back(std::move(slot));
      if (!shared.slots.back().done) {
        shared.waiting.push_back({nextRead, pieces > 1 ? kBuildChains : kWholeBlock});
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
