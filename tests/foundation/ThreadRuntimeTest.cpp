// The thread functions the C++ runtime calls (src/foundation/ThreadRuntime.cpp),
// seen through what the runtime does with them: statics made once however
// many threads first use them, exceptions handled on many threads at once,
// each thread's records freed when it ends, locks from the runtime's
// static initialisers. A program of its own without GoogleTest, whose clock
// would bring winpthread back (src/foundation/CMakeLists.txt): each failed
// check prints a line, and the exit code counts them.
#include <windows.h>

#include <errno.h>
#include <pthread.h>

#include <atomic>
#include <cstdio>
#include <vector>

namespace {

int failures = 0;

void check(bool holds, const char* what, long long detail = 0) {
  if (holds) return;
  std::printf("FAIL: %s (%lld)\n", what, detail);
  ++failures;
}

constexpr int kThreads = 8;

struct Start {
  HANDLE go;
  LPTHREAD_START_ROUTINE body;
  void* argument;
};

DWORD WINAPI startTogether(void* start) {
  const auto* s = static_cast<Start*>(start);
  WaitForSingleObject(s->go, INFINITE);
  return s->body(s->argument);
}

// Runs `body` on kThreads threads at once, `arguments[i]` for the i-th;
// true when all ended within 20 s.
bool runTogether(LPTHREAD_START_ROUTINE body, std::vector<void*> arguments) {
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::vector<Start> starts(arguments.size());
  std::vector<HANDLE> threads;
  for (size_t i = 0; i < arguments.size(); ++i) {
    starts[i] = {go, body, arguments[i]};
    HANDLE thread = CreateThread(nullptr, 0, startTogether, &starts[i], 0, nullptr);
    if (thread != nullptr) threads.push_back(thread);
  }
  SetEvent(go);
  const DWORD waited = WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, 20000);
  for (HANDLE thread : threads) {
    if (waited != WAIT_OBJECT_0) TerminateThread(thread, 1);
    CloseHandle(thread);
  }
  CloseHandle(go);
  return threads.size() == arguments.size() && waited == WAIT_OBJECT_0;
}

// A static whose constructor takes long enough for every other thread to
// arrive and wait, and fails on its first `failures` attempts.
std::atomic<int> attempts{0};
int failuresWanted = 0;

struct Slow {
  int value = 0;
  Slow() {
    const int attempt = ++attempts;
    Sleep(100);
    if (attempt <= failuresWanted) throw attempt;
    value = 42;
  }
};

// One static per case: once made, a static stays made.
template <int Case>
DWORD WINAPI useSlowStaticOf(void* result) {
  try {
    static Slow slow;
    *static_cast<int*>(result) = slow.value;
  } catch (int) {
    *static_cast<int*>(result) = -1;
  }
  return 0;
}

void aStaticFirstUsedByManyThreadsAtOnceIsMadeOnce() {
  // A constructor that throws leaves the static unmade; one of the threads
  // that waited makes it.
  const struct {
    LPTHREAD_START_ROUTINE use;
    int failures;
    int attempts;
  } cases[] = {
      {useSlowStaticOf<0>, 0, 1},
      {useSlowStaticOf<1>, 1, 2},
  };
  for (const auto& c : cases) {
    attempts = 0;
    failuresWanted = c.failures;
    std::vector<int> results(kThreads, 0);
    std::vector<void*> arguments;
    for (int& result : results) arguments.push_back(&result);
    if (!runTogether(c.use, arguments)) {
      check(false, "threads using a static ended in time", c.failures);
      continue;
    }
    check(attempts.load() == c.attempts, "constructor attempts, by failures wanted", c.failures);
    int failed = 0;
    int made = 0;
    for (int result : results) {
      if (result == -1) ++failed;
      if (result == 42) ++made;
    }
    check(failed == c.failures, "threads that saw the constructor fail, by failures wanted", c.failures);
    check(made == kThreads - c.failures, "threads that saw the static made, by failures wanted", c.failures);
  }
}

// Each thread throws its own number, and once all are inside their
// handlers, throws and catches another and then rethrows the first: a
// thread that saw another's record of the exception being handled would
// rethrow the wrong one.
HANDLE allInHandlers;
std::atomic<int> inHandlers{0};

DWORD WINAPI rethrowOwn(void* slot) {
  auto* number = static_cast<int*>(slot);
  try {
    try {
      throw *number;
    } catch (int) {
      if (++inHandlers == kThreads) SetEvent(allInHandlers);
      WaitForSingleObject(allInHandlers, 20000);
      try {
        throw -1;
      } catch (int) {
      }
      throw;
    }
  } catch (int again) {
    *number = again == *number ? 1 : 0;
  }
  return 0;
}

void eachThreadRethrowsItsOwnException() {
  allInHandlers = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  inHandlers = 0;
  std::vector<int> numbers;
  for (int i = 0; i < kThreads; ++i) numbers.push_back(100 + i);
  std::vector<void*> arguments;
  for (int& number : numbers) arguments.push_back(&number);
  check(runTogether(rethrowOwn, arguments), "threads rethrowing ended in time");
  CloseHandle(allInHandlers);
  for (int i = 0; i < kThreads; ++i) check(numbers[i] == 1, "thread rethrew its own exception", i);
}

// The runtime reads its records in the middle of handlers that still have
// to report the last error; the first exception of a thread makes them.
DWORD WINAPI throwWithLastError(void* seen) {
  SetLastError(ERROR_SHARING_VIOLATION);
  try {
    throw 1;
  } catch (int) {
    *static_cast<DWORD*>(seen) = GetLastError();
  }
  return 0;
}

void theLastErrorSurvivesAThreadsFirstException() {
  DWORD seen = 0;
  check(runTogether(throwWithLastError, {&seen}), "thread throwing ended in time");
  check(seen == ERROR_SHARING_VIOLATION, "last error in the handler of a thread's first exception", seen);
}

// What a thread leaves in a slot with a destructor goes to the destructor
// when the thread ends, as the runtime's records of each thread do.
std::atomic<int> destroyed{0};
std::atomic<void*> destroyedValue{nullptr};
pthread_key_t key;

void recordDestruction(void* value) {
  ++destroyed;
  destroyedValue = value;
}

// A thread that never throws never fills the runtime's slot.
DWORD WINAPI leaveInSlot(void* value) {
  if (value != nullptr) pthread_setspecific(key, value);
  return pthread_getspecific(key) == value ? 0 : 1;
}

void aThreadsValuesGoToTheirDestructorWhenItEnds() {
  static int left;
  const struct {
    void* value;
    int calls;
  } cases[] = {{&left, 1}, {nullptr, 0}};
  for (const auto& c : cases) {
    if (pthread_key_create(&key, recordDestruction) != 0) {
      check(false, "slot with a destructor made", c.calls);
      continue;
    }
    destroyed = 0;
    destroyedValue = nullptr;
    check(runTogether(leaveInSlot, {c.value}), "thread setting its slot ended in time", c.calls);
    check(destroyed.load() == c.calls, "destructor calls at the thread's end, by value left", c.calls);
    check(destroyedValue.load() == c.value, "value handed to the destructor", c.calls);
    check(pthread_key_delete(key) == 0, "slot deleted", c.calls);
  }
}

// Locks as the runtime declares them, made on first use: held by one
// thread, another cannot take the same one.
pthread_mutex_t* sharedLock;

DWORD WINAPI tryToTake(void* result) {
  const int tried = pthread_mutex_trylock(sharedLock);
  if (tried == 0) pthread_mutex_unlock(sharedLock);
  *static_cast<int*>(result) = tried;
  return 0;
}

void aLockFromAStaticInitialiserIsHeldAgainstOtherThreads() {
  pthread_mutex_t locks[] = {PTHREAD_MUTEX_INITIALIZER, PTHREAD_RECURSIVE_MUTEX_INITIALIZER,
                             PTHREAD_ERRORCHECK_MUTEX_INITIALIZER};
  for (pthread_mutex_t& lock : locks) {
    const long long initialiser = lock;
    sharedLock = &lock;
    check(pthread_mutex_lock(&lock) == 0, "lock taken, by initialiser", initialiser);
    int whileHeld = 0;
    check(runTogether(tryToTake, {&whileHeld}), "other thread ended in time", initialiser);
    check(whileHeld == EBUSY, "other thread refused while held, by initialiser", initialiser);
    check(pthread_mutex_unlock(&lock) == 0, "lock released, by initialiser", initialiser);
    int afterwards = -1;
    check(runTogether(tryToTake, {&afterwards}), "other thread ended in time", initialiser);
    check(afterwards == 0, "other thread took it once released, by initialiser", initialiser);
    check(pthread_mutex_destroy(&lock) == 0, "lock destroyed, by initialiser", initialiser);
  }
}

}  // namespace

int wmain() {
  aStaticFirstUsedByManyThreadsAtOnceIsMadeOnce();
  eachThreadRethrowsItsOwnException();
  theLastErrorSurvivesAThreadsFirstException();
  aThreadsValuesGoToTheirDestructorWhenItEnds();
  aLockFromAStaticInitialiserIsHeldAgainstOtherThreads();
  if (failures == 0) std::printf("thread runtime: all checks passed\n");
  return failures;
}
