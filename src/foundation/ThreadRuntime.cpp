// The POSIX thread functions the C++ runtime calls, on the system's own
// locks, condition variables and thread-local slots. The runtime calls them
// for the guards of function-local statics, the emergency pool of
// exceptions, the unwinder's table of frames and each thread's record of
// the exceptions it handles. The compiler's posix thread model takes them
// from winpthread, whose objects come whole: pthread_once alone brings its
// thread object, some 32 KB with what that calls. Defined here, with the
// types and static initialisers of winpthread's <pthread.h> that the
// runtime was compiled against, they take winpthread's place at link time
// (every program that links this library asks for this object, see
// CMakeLists.txt). A program that needed more of winpthread (std::thread,
// timed waits) would bring objects of it that define some of the same
// names: its link would fail on the duplicates rather than run with two
// implementations of one lock.
#include <windows.h>

#include <errno.h>
#include <pthread.h>
#include <stdint.h>
#include <stdlib.h>

namespace {

// A lock or condition is a pointer to the system's object, made on first
// use when the variable still holds one of the static initialisers (small
// negative numbers that no allocation returns). Two threads may make one at
// the same time; the first to store its own keeps it.
bool isStaticInitializer(intptr_t value) {
  return value == GENERIC_INITIALIZER || value == GENERIC_ERRORCHECK_INITIALIZER ||
         value == GENERIC_RECURSIVE_INITIALIZER;
}

void* made(intptr_t* variable, size_t size, void (*initialize)(void*), void (*discard)(void*)) {
  intptr_t value = __atomic_load_n(variable, __ATOMIC_ACQUIRE);
  if (!isStaticInitializer(value)) return reinterpret_cast<void*>(value);
  // The runtime asks for its locks inside exception handling; the reason
  // for the exception must still be there after it.
  const DWORD lastError = GetLastError();
  void* object = malloc(size);
  SetLastError(lastError);
  if (object == nullptr) return nullptr;
  initialize(object);
  if (__atomic_compare_exchange_n(variable, &value, reinterpret_cast<intptr_t>(object), false, __ATOMIC_ACQ_REL,
                                  __ATOMIC_ACQUIRE))
    return object;
  if (discard != nullptr) discard(object);
  free(object);
  return reinterpret_cast<void*>(value);
}

// Critical sections are recursive, which the runtime's recursive lock needs
// and its plain ones never notice.
void initializeSection(void* section) { InitializeCriticalSection(static_cast<CRITICAL_SECTION*>(section)); }
void deleteSection(void* section) { DeleteCriticalSection(static_cast<CRITICAL_SECTION*>(section)); }

CRITICAL_SECTION* sectionOf(pthread_mutex_t* mutex) {
  return static_cast<CRITICAL_SECTION*>(made(mutex, sizeof(CRITICAL_SECTION), initializeSection, deleteSection));
}

void initializeCondition(void* condition) { InitializeConditionVariable(static_cast<CONDITION_VARIABLE*>(condition)); }

CONDITION_VARIABLE* conditionOf(pthread_cond_t* condition) {
  return static_cast<CONDITION_VARIABLE*>(made(condition, sizeof(CONDITION_VARIABLE), initializeCondition, nullptr));
}

// The thread-local slots whose values need a destructor at the thread's
// end. The runtime makes one (the exception records); a few spare.
struct KeyDestructor {
  DWORD slot;
  void (*destructor)(void*);
};
constexpr int kMostDestructors = 8;
KeyDestructor destructors[kMostDestructors];
int destructorCount = 0;
SRWLOCK destructorsLock = SRWLOCK_INIT;

// At a thread's end (as with winpthread, not at the process's end), each
// value left in a slot with a destructor is cleared and handed to it, in
// rounds while destructors leave new values behind.
void NTAPI onThreadEvent(PVOID, DWORD reason, PVOID) {
  if (reason != DLL_THREAD_DETACH) return;
  AcquireSRWLockShared(&destructorsLock);
  KeyDestructor current[kMostDestructors];
  const int count = destructorCount;
  for (int i = 0; i < count; ++i) current[i] = destructors[i];
  ReleaseSRWLockShared(&destructorsLock);
  for (int round = 0; round < PTHREAD_DESTRUCTOR_ITERATIONS; ++round) {
    bool called = false;
    for (int i = 0; i < count; ++i) {
      void* value = TlsGetValue(current[i].slot);
      if (value == nullptr) continue;
      TlsSetValue(current[i].slot, nullptr);
      current[i].destructor(value);
      called = true;
    }
    if (!called) break;
  }
}

}  // namespace

// The C runtime's table of thread callbacks (the loader calls each entry on
// every thread's start and end).
extern "C" __attribute__((section(".CRT$XLF"), used)) const PIMAGE_TLS_CALLBACK tonvaneThreadEvent = onThreadEvent;

extern "C" {

int pthread_mutex_init(pthread_mutex_t* mutex, const pthread_mutexattr_t*) {
  *mutex = PTHREAD_MUTEX_INITIALIZER;
  return sectionOf(mutex) != nullptr ? 0 : ENOMEM;
}

int pthread_mutex_destroy(pthread_mutex_t* mutex) {
  const intptr_t value = *mutex;
  if (!isStaticInitializer(value)) {
    DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(value));
    free(reinterpret_cast<void*>(value));
  }
  *mutex = PTHREAD_MUTEX_INITIALIZER;
  return 0;
}

int pthread_mutex_lock(pthread_mutex_t* mutex) {
  CRITICAL_SECTION* section = sectionOf(mutex);
  if (section == nullptr) return ENOMEM;
  EnterCriticalSection(section);
  return 0;
}

int pthread_mutex_trylock(pthread_mutex_t* mutex) {
  CRITICAL_SECTION* section = sectionOf(mutex);
  if (section == nullptr) return ENOMEM;
  return TryEnterCriticalSection(section) ? 0 : EBUSY;
}

int pthread_mutex_unlock(pthread_mutex_t* mutex) {
  const intptr_t value = __atomic_load_n(mutex, __ATOMIC_ACQUIRE);
  if (isStaticInitializer(value)) return EPERM;
  LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(value));
  return 0;
}

int pthread_cond_broadcast(pthread_cond_t* condition) {
  CONDITION_VARIABLE* variable = conditionOf(condition);
  if (variable == nullptr) return ENOMEM;
  WakeAllConditionVariable(variable);
  return 0;
}

// The lock is held once by the caller (the runtime's guards hold their
// recursive lock once when they wait), as sleeping on a critical section
// requires.
int pthread_cond_wait(pthread_cond_t* condition, pthread_mutex_t* mutex) {
  CONDITION_VARIABLE* variable = conditionOf(condition);
  CRITICAL_SECTION* section = sectionOf(mutex);
  if (variable == nullptr || section == nullptr) return ENOMEM;
  const DWORD lastError = GetLastError();
  const BOOL woken = SleepConditionVariableCS(variable, section, INFINITE);
  SetLastError(lastError);
  return woken ? 0 : EINVAL;
}

// 0: not run yet; 1: running on some thread; 2: done. The routines the
// runtime passes make a lock or a slot, so a thread that comes second waits
// for a moment at most.
int pthread_once(pthread_once_t* once, void (*routine)(void)) {
  if (__atomic_load_n(once, __ATOMIC_ACQUIRE) == 2) return 0;
  long expected = 0;
  if (__atomic_compare_exchange_n(once, &expected, 1, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
    routine();
    __atomic_store_n(once, 2, __ATOMIC_RELEASE);
    return 0;
  }
  const DWORD lastError = GetLastError();
  while (__atomic_load_n(once, __ATOMIC_ACQUIRE) != 2) Sleep(1);
  SetLastError(lastError);
  return 0;
}

int pthread_key_create(pthread_key_t* key, void (*destructor)(void*)) {
  const DWORD slot = TlsAlloc();
  if (slot == TLS_OUT_OF_INDEXES) return EAGAIN;
  if (destructor != nullptr) {
    AcquireSRWLockExclusive(&destructorsLock);
    const bool room = destructorCount < kMostDestructors;
    if (room) destructors[destructorCount++] = {slot, destructor};
    ReleaseSRWLockExclusive(&destructorsLock);
    if (!room) {
      TlsFree(slot);
      return EAGAIN;
    }
  }
  *key = slot;
  return 0;
}

int pthread_key_delete(pthread_key_t key) {
  AcquireSRWLockExclusive(&destructorsLock);
  for (int i = 0; i < destructorCount; ++i) {
    if (destructors[i].slot != key) continue;
    destructors[i] = destructors[--destructorCount];
    break;
  }
  ReleaseSRWLockExclusive(&destructorsLock);
  return TlsFree(key) ? 0 : EINVAL;
}

// TlsGetValue sets the last error to 0 on success; the runtime reads its
// exception records in the middle of handlers that still have to report
// the last error.
void* pthread_getspecific(pthread_key_t key) {
  const DWORD lastError = GetLastError();
  void* value = TlsGetValue(key);
  SetLastError(lastError);
  return value;
}

int pthread_setspecific(pthread_key_t key, const void* value) {
  return TlsSetValue(key, const_cast<void*>(value)) ? 0 : EINVAL;
}

}  // extern "C"
