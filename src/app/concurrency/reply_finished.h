#pragma once
// Waits until a network reply has finished; a stop request aborts the reply, which then finishes
// at once with QNetworkReply::OperationCanceledError.
//
// Thread contract: awaited on the reply's thread (the main thread); `stop` may be signalled from
// any thread.
#include <QCoroTask>
#include <stop_token>

class QNetworkReply;

namespace sayloom {

QCoro::Task<void> replyFinished(QNetworkReply* reply, std::stop_token stop);

}  // namespace sayloom
