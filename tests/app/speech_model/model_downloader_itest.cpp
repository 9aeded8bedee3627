// The model downloader against a real HTTP/1.1 server on loopback serving a generated "model"
// whose identity is given through the SAYLOOM_MODEL_* overrides.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <map>
#include <random>

#include "app/speech_model/model_downloader.h"
#include "core/native_error.h"
#include "support/file_bytes.h"
#include "support/run_task.h"
#include "support/temp_dir.h"

namespace sayloom {
namespace {

using test::readFile;
using test::runTask;
using test::ScopedEnv;
using test::TempDir;
using test::writeFile;
namespace fs = std::filesystem;

std::set<std::string> names(const fs::path& folder) {
  std::set<std::string> out;
  if (fs::exists(folder)) {
    for (const auto& entry : fs::directory_iterator(folder)) {
      out.insert(entry.path().filename().string());
    }
  }
  return out;
}

// A minimal HTTP/1.1 server: one answer per connection, then the connection is closed, unless the
// route stalls after part of its body (the connection then stays open and silent).
class HttpServer {
public:
  struct Route {
    Route(int status, QByteArray body, qsizetype stallAfter = -1, QByteArray location = {})
        : status(status), body(std::move(body)), stallAfter(stallAfter), location(std::move(location)) {}
    int status;
    QByteArray body;
    qsizetype stallAfter;
    QByteArray location;
  };

  HttpServer() {
    EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost, 0));
    QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
      while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
      }
    });
  }

  void route(const QByteArray& path, Route route) { m_routes.insert_or_assign(path, std::move(route)); }
  QString url(const char* path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
  }
  int requests() const { return m_requests; }

private:
  void read(QTcpSocket* socket) {
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0) {
      return;
    }
    ++m_requests;
    const QByteArray path = buffer.left(buffer.indexOf("\r\n")).split(' ').value(1);
    m_buffers.erase(socket);
    const auto it = m_routes.find(path);
    const Route route = it != m_routes.end() ? it->second : Route{404, "not here"};
    QByteArray head = "HTTP/1.1 " + QByteArray::number(route.status) +
                      " Status\r\nContent-Length: " + QByteArray::number(route.body.size()) +
                      "\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n";
    if (!route.location.isEmpty()) {
      head += "Location: " + route.location + "\r\n";
    }
    socket->write(head + "\r\n");
    if (route.stallAfter >= 0) {
      socket->write(route.body.left(route.stallAfter));
      return;
    }
    socket->write(route.body);
    socket->disconnectFromHost();
  }

  QTcpServer m_server;
  std::map<QByteArray, Route> m_routes;
  std::map<QTcpSocket*, QByteArray> m_buffers;
  int m_requests = 0;
};

class ModelDownloaderTest : public ::testing::Test {
protected:
  ModelDownloaderTest() {
    fs::create_directories(m_dir / "tmp");
    m_server.route("/ggml-base.bin", {200, QByteArray::fromStdString(m_model)});
  }

  // Two MiB and a bit of noise standing in for the model.
  static std::string generatedModel() {
    std::mt19937 random(7);
    std::string model(2 * 1'048'576 + 123, '\0');
    for (char& c : model) {
      c = static_cast<char>(random());
    }
    return model;
  }

  fs::path modelFile() const { return m_dir / "data" / "Models" / "ggml-base.bin"; }
  fs::path modelsFolder() const { return modelFile().parent_path(); }

  // Runs a download from `path`, recording the progress it reports.
  void download(const char* path, std::stop_token stop = {}) {
    ScopedEnv url("SAYLOOM_MODEL_URL", m_server.url(path).toUtf8().constData());
    ModelDownloader downloader;
    downloader.onProgress = [this](double fraction) { m_progress.push_back(fraction); };
    runTask(downloader.download(stop));
  }

  void expectNothingLeftBehind() const {
    EXPECT_TRUE(fs::is_empty(m_dir / "tmp")) << "scratch file left behind";
  }

  TempDir m_dir;
  std::string m_model = generatedModel();
  HttpServer m_server;
  std::vector<double> m_progress;
  ScopedEnv m_tmp{"TMPDIR", (m_dir / "tmp").c_str()};
  ScopedEnv m_data{"SAYLOOM_DATA_DIR", (m_dir / "data").c_str()};
  ScopedEnv m_size{"SAYLOOM_MODEL_SIZE", std::to_string(m_model.size()).c_str()};
  ScopedEnv m_sha{"SAYLOOM_MODEL_SHA256",
                  QCryptographicHash::hash(QByteArray::fromStdString(m_model), QCryptographicHash::Sha256)
                      .toHex()
                      .constData()};
};

TEST_F(ModelDownloaderTest, GoodDownloadInstallsTheModelAndReplacesAnOldOne) {
  download("/ggml-base.bin");
  EXPECT_EQ(readFile(modelFile()), m_model);
  EXPECT_EQ(names(modelsFolder()), std::set<std::string>{"ggml-base.bin"});
  ASSERT_FALSE(m_progress.empty());
  EXPECT_TRUE(std::is_sorted(m_progress.begin(), m_progress.end()));
  EXPECT_GT(m_progress.front(), 0.0);
  EXPECT_DOUBLE_EQ(m_progress.back(), 1.0);
  expectNothingLeftBehind();

  writeFile(modelFile(), "an older model");
  download("/ggml-base.bin");
  EXPECT_EQ(readFile(modelFile()), m_model);
  EXPECT_EQ(names(modelsFolder()), std::set<std::string>{"ggml-base.bin"});
  expectNothingLeftBehind();
}

TEST_F(ModelDownloaderTest, RedirectToTheFileIsFollowed) {
  m_server.route("/moved", {302, "", -1, m_server.url("/ggml-base.bin").toUtf8()});
  download("/moved");
  EXPECT_EQ(readFile(modelFile()), m_model);
}

TEST_F(ModelDownloaderTest, BadAnswersFailAndKeepTheInstalledModel) {
  std::string changed = m_model;
  changed[changed.size() / 2] ^= 0x01;
  m_server.route("/short", {200, QByteArray::fromStdString(m_model.substr(0, m_model.size() - 1))});
  m_server.route("/long", {200, QByteArray::fromStdString(m_model + "x")});
  m_server.route("/changed", {200, QByteArray::fromStdString(changed)});
  m_server.route("/empty", {200, ""});
  m_server.route("/server-error", {500, QByteArray::fromStdString(m_model)});
  struct Case {
    const char* path;
    const char* message;
  };
  const Case cases[] = {
      {"/missing", messages::modelServerUnreachable}, {"/server-error", messages::modelServerUnreachable},
      {"/short", messages::modelDigestMismatch},      {"/long", messages::modelDigestMismatch},
      {"/changed", messages::modelDigestMismatch},    {"/empty", messages::modelDigestMismatch},
  };
  for (const bool installed : {false, true}) {
    if (installed) {
      writeFile(modelFile(), "the installed model");
    }
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.path) + (installed ? " over an installed model" : " without a model"));
      try {
        download(c.path);
        ADD_FAILURE() << "no failure";
      } catch (const NativeError& error) {
        EXPECT_EQ(error.description(), c.message);
      }
      if (installed) {
        EXPECT_EQ(readFile(modelFile()), "the installed model");
        EXPECT_EQ(names(modelsFolder()), std::set<std::string>{"ggml-base.bin"});
      } else {
        EXPECT_TRUE(names(modelsFolder()).empty());
      }
      expectNothingLeftBehind();
    }
  }
  for (const double fraction : m_progress) {
    EXPECT_LE(fraction, 1.0);
  }
}

TEST_F(ModelDownloaderTest, UnreachableServerFailsWithTheTransportError) {
  writeFile(modelFile(), "the installed model");
  QTcpServer closed;
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
  const quint16 port = closed.serverPort();
  closed.close();
  ScopedEnv url("SAYLOOM_MODEL_URL",
                QStringLiteral("http://127.0.0.1:%1/ggml-base.bin").arg(port).toUtf8().constData());
  ModelDownloader downloader;
  try {
    runTask(downloader.download());
    ADD_FAILURE() << "no failure";
  } catch (const NativeError& error) {
    ADD_FAILURE() << "a transport failure keeps its own text, not " << error.description();
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("refused"), std::string::npos) << error.what();
  }
  EXPECT_EQ(readFile(modelFile()), "the installed model");
  expectNothingLeftBehind();
}

TEST_F(ModelDownloaderTest, CancellingDuringTheTransferLeavesNothingBehind) {
  writeFile(modelFile(), "the installed model");
  m_server.route("/stall", {200, QByteArray::fromStdString(m_model), 300'000});
  ScopedEnv url("SAYLOOM_MODEL_URL", m_server.url("/stall").toUtf8().constData());
  ModelDownloader downloader;
  downloader.onProgress = [this](double fraction) { m_progress.push_back(fraction); };
  std::stop_source stop;
  auto task = downloader.download(stop.get_token());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !m_progress.empty(); }, 10'000));
  stop.request_stop();
  EXPECT_THROW(runTask(std::move(task)), Cancelled);
  EXPECT_EQ(readFile(modelFile()), "the installed model");
  EXPECT_EQ(names(modelsFolder()), std::set<std::string>{"ggml-base.bin"});
  expectNothingLeftBehind();
  EXPECT_LT(m_progress.back(), 1.0);
}

TEST_F(ModelDownloaderTest, CancelledBeforeItStartsAsksNothing) {
  std::stop_source stop;
  stop.request_stop();
  EXPECT_THROW(download("/ggml-base.bin", stop.get_token()), Cancelled);
  EXPECT_EQ(m_server.requests(), 0);
  EXPECT_FALSE(fs::exists(modelFile()));
}

TEST_F(ModelDownloaderTest, ModelFolderThatCannotBeMadeFailsWithTheFileError) {
  ModelDownloader::Settings settings = ModelDownloader::Settings::fromEnvironment();
  settings.url = m_server.url("/ggml-base.bin");
  writeFile(m_dir / "data" / "not-a-folder", "a file where the model folder should be");
  settings.modelFile = m_dir / "data" / "not-a-folder" / "ggml-base.bin";
  ModelDownloader downloader(settings);
  EXPECT_THROW(runTask(downloader.download()), fs::filesystem_error);
  EXPECT_EQ(readFile(m_dir / "data" / "not-a-folder"), "a file where the model folder should be");
  expectNothingLeftBehind();
}

}  // namespace
}  // namespace sayloom
