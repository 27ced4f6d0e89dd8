#pragma once
// A tiny HTTP server on the loopback address standing in for a group chat's
// webhook: it records every request and answers as a script says (taken,
// an HTTP error, the platform's error code, or no answer at all). It runs on
// the test's thread: wait with rigtest::WaitFor so its events are handled.
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <deque>
#include <memory>
#include <vector>

namespace rigtest {

class HookReceiver : public QObject {
 public:
  enum class Answer { Taken, HttpError, PlatformError, Never };
  struct Request {
    QByteArray Target;  // path and query
    QByteArray Body;
    qint64 AtMs = 0;
  };

  explicit HookReceiver(quint16 port = 0) {
    clock_.start();
    Listen(port);
  }
  bool Listen(quint16 port) {
    server_ = std::make_unique<QTcpServer>();
    QObject::connect(server_.get(), &QTcpServer::newConnection, this, [this] { Accept(); });
    return server_->listen(QHostAddress::LocalHost, port);
  }
  void Close() { server_.reset(); }
  quint16 Port() const { return server_ ? server_->serverPort() : 0; }
  QString Url(quint16 port = 0) const {
    return QStringLiteral("http://127.0.0.1:%1/hook?key=K").arg(port ? port : Port());
  }
  // The next requests are answered so, in turn; then taken.
  void Script(std::deque<Answer> answers) { script_ = std::move(answers); }
  const std::vector<Request>& Requests() const { return requests_; }

 private:
  void Accept() {
    while (QTcpSocket* s = server_->nextPendingConnection()) {
      s->setParent(this);
      auto buffer = std::make_shared<QByteArray>();
      QObject::connect(s, &QTcpSocket::readyRead, this, [this, s, buffer] {
        *buffer += s->readAll();
        const qsizetype end = buffer->indexOf("\r\n\r\n");
        if (end < 0) return;
        const QByteArray head = buffer->left(end);
        qsizetype length = 0;
        for (const QByteArray& line : head.split('\n'))
          if (line.toLower().startsWith("content-length:")) length = line.mid(15).trimmed().toLongLong();
        if (buffer->size() < end + 4 + length) return;
        requests_.push_back({head.split(' ').value(1), buffer->mid(end + 4, length), clock_.elapsed()});
        buffer->clear();
        Answer answer = Answer::Taken;
        if (!script_.empty()) {
          answer = script_.front();
          script_.pop_front();
        }
        if (answer == Answer::Never) return;  // holds the connection, says nothing
        const QByteArray body = answer == Answer::PlatformError ? R"({"errcode":93000,"errmsg":"invalid webhook url"})"
                                                                : R"({"errcode":0,"errmsg":"ok"})";
        const QByteArray status = answer == Answer::HttpError ? "503 Service Unavailable" : "200 OK";
        s->write("HTTP/1.1 " + status + "\r\nContent-Type: application/json\r\nContent-Length: " +
                 QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        s->disconnectFromHost();
      });
    }
  }

  std::unique_ptr<QTcpServer> server_;
  std::deque<Answer> script_;
  std::vector<Request> requests_;
  QElapsedTimer clock_;
};

}  // namespace rigtest
