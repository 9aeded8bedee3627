#include "app/speech_model/model_file_check.h"

#include <sys/stat.h>

#include <QCryptographicHash>
#include <vector>

#include "core/posix_file.h"

namespace sayloom {

bool modelFileMatches(const std::filesystem::path& file, const engine::ModelIdentity& identity,
                      const std::function<void(double fraction)>& progress) {
  // A failing close of a file only read changes nothing: the descriptor closes quietly.
  const posix::Descriptor fd = posix::openForReading(file, "cannot open model file");
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) {
    posix::throwErrno("cannot read model file", file);
  }
  if (!S_ISREG(info.st_mode) || static_cast<std::uint64_t>(info.st_size) != identity.size) {
    return false;
  }
  QCryptographicHash hash(QCryptographicHash::Sha256);
  std::vector<char> piece(modelReadPieceBytes);
  std::uint64_t count = 0;
  for (;;) {
    const std::size_t n =
        posix::readSome(fd.get(), piece.data(), piece.size(), file, "cannot read model file");
    if (n == 0) {
      break;
    }
    count += n;
    if (count > identity.size) {
      return false;  // the file grew while it was read
    }
    hash.addData(QByteArrayView(piece.data(), static_cast<qsizetype>(n)));
    if (progress) {
      progress(static_cast<double>(count) / static_cast<double>(identity.size));
    }
  }
  return count == identity.size && hash.result().toHex().toStdString() == identity.sha256;
}

}  // namespace sayloom
