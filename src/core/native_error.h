#pragma once
// The error type shared by every layer of Sayloom, and the cancellation signal.
//
// Error convention: operations throw. A `NativeError` carries one of three cases and computes the
// user-facing text (`description`) from it; failures of the platform (file system, process, network)
// are passed on as the platform's own exception and shown with its `what()` text. `Cancelled` marks
// an operation stopped on request; it is never shown to the user.
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <variant>

namespace sayloom {

class NativeError : public std::exception {
public:
  enum class Kind { message, futureVersion, http };

  // A user-facing text, shown unchanged.
  static NativeError message(std::string text);
  // A preset file written by a newer version of the application; saving is locked.
  static NativeError futureVersion(std::int64_t version);
  // A cloud request answered with a non-success HTTP status.
  static NativeError http(std::int64_t status);

  Kind kind() const noexcept;
  // The message text; empty for the other cases.
  const std::string& text() const noexcept;
  // The version or status number; 0 for `message`.
  std::int64_t number() const noexcept;
  // Whether this is an HTTP failure with one of `statuses`.
  bool isHttpStatus(std::initializer_list<std::int64_t> statuses) const noexcept;

  // The text shown in the status or warning line.
  const std::string& description() const noexcept { return m_description; }
  const char* what() const noexcept override { return m_description.c_str(); }

  friend bool operator==(const NativeError& a, const NativeError& b) noexcept {
    return a.m_payload == b.m_payload;
  }

private:
  struct FutureVersion {
    std::int64_t version;
    bool operator==(const FutureVersion&) const = default;
  };
  struct Http {
    std::int64_t status;
    bool operator==(const Http&) const = default;
  };
  using Payload = std::variant<std::string, FutureVersion, Http>;

  explicit NativeError(Payload payload);

  Payload m_payload;
  std::string m_description;
};

// Thrown by an operation that was cancelled through its stop token. Never shown to the user.
class Cancelled : public std::exception {
public:
  const char* what() const noexcept override { return "cancelled"; }
};

// The text for `warning` or `status` of any caught exception: a NativeError's description, a
// platform error's own text.
std::string errorDescription(const std::exception& error);

namespace messages {
inline constexpr const char* invalidNoteId = "잘못된 로컬 노트 ID입니다.";
inline constexpr const char* noAudioToRecover = "복구할 오디오 파일이 없습니다.";
inline constexpr const char* audioTooLargeForWav = "WAV로 내보낼 수 있는 오디오 크기를 벗어났습니다.";
inline constexpr const char* unreadableNotePrefix =
    "일부 로컬 노트를 읽지 못했습니다. 원본 폴더는 보존됩니다: ";
}  // namespace messages

}  // namespace sayloom
