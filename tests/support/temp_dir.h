#pragma once
// A scratch folder removed when the test ends; permissions are restored first so that
// tests which make folders read-only still clean up.
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace sayloom::test {

class TempDir {
public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sayloom-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::abort();
    }
    m_path = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    }
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return m_path; }
  std::filesystem::path operator/(const std::filesystem::path& child) const { return m_path / child; }

private:
  std::filesystem::path m_path;
};

// Sets an environment variable for the scope of a test and restores the previous value.
class ScopedEnv {
public:
  ScopedEnv(const char* name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name)) {
      m_old = old;
      m_hadOld = true;
    }
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (m_hadOld) {
      setenv(m_name.c_str(), m_old.c_str(), 1);
    } else {
      unsetenv(m_name.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
  std::string m_name;
  std::string m_old;
  bool m_hadOld = false;
};

// Makes the calling thread obey file permission bits even when the tests run as root (as CI
// does) by dropping the override capabilities from its effective set for the scope. Capabilities
// are per thread: work handed to another thread inside the scope is not affected.
class EnforcePermissions {
public:
  EnforcePermissions() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    if (syscall(SYS_capget, &header, m_saved) != 0) {
      return;
    }
    __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
    reduced[0].effective &= ~((1U << CAP_DAC_OVERRIDE) | (1U << CAP_DAC_READ_SEARCH));
    m_active = syscall(SYS_capset, &header, reduced) == 0;
  }
  ~EnforcePermissions() {
    if (m_active) {
      __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
      syscall(SYS_capset, &header, m_saved);
    }
  }
  EnforcePermissions(const EnforcePermissions&) = delete;
  EnforcePermissions& operator=(const EnforcePermissions&) = delete;

private:
  __user_cap_data_struct m_saved[2]{};
  bool m_active = false;
};

}  // namespace sayloom::test
