#include "tile_server.hpp"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTcpSocket>

namespace tarnwick::test {

TileServer::TileServer(bool Labels, QObject* Parent) : QObject(Parent), labels_(Labels) {
  connect(&server_, &QTcpServer::newConnection, this, [this] {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
      connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Answer(socket); });
      connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
  });
}

bool TileServer::Start(quint16 Port) {
  if (!server_.listen(QHostAddress::LocalHost, Port)) {
    return false;
  }
  port_ = server_.serverPort();
  return true;
}

void TileServer::Stop() {
  server_.close();
  for (QTcpSocket* socket : server_.findChildren<QTcpSocket*>()) {
    socket->abort();
  }
}

QString TileServer::Template() const {
  return QString("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(port_);
}

QColor TileServer::TileColour(int Z, int X, int Y) {
  return QColor::fromHsv((X * 47 + Y * 89 + Z * 13) % 360, 40, 235);
}

void TileServer::Answer(QTcpSocket* Socket) {
  // Waits for the whole head; a request line and headers fit one read on the loopback.
  QByteArray head = Socket->property("head").toByteArray() + Socket->readAll();
  Socket->setProperty("head", head);
  if (!head.contains("\r\n\r\n")) {
    return;
  }
  Socket->setProperty("head", QByteArray(head.mid(head.indexOf("\r\n\r\n") + 4)));
  const QList<QByteArray> lines = head.left(head.indexOf("\r\n\r\n")).split('\n');
  const QString path = QString::fromLatin1(lines.value(0).split(' ').value(1));
  for (const QByteArray& line : lines) {
    if (line.toLower().startsWith("user-agent:")) {
      userAgent_ = line.mid(11).trimmed();
    }
  }
  ++total_;
  ++requests_[path];
  static const QRegularExpression kTile("^/(\\d+)/(\\d+)/(\\d+)\\.png$");
  const QRegularExpressionMatch match = kTile.match(path);
  QByteArray body;
  QByteArray status = "404 Not Found";
  QByteArray type = "text/plain";
  if (match.hasMatch()) {
    const int z = match.captured(1).toInt();
    const int x = match.captured(2).toInt();
    const int y = match.captured(3).toInt();
    QImage tile(256, 256, QImage::Format_RGB32);
    tile.fill(TileColour(z, x, y));
    if (labels_) {
      QPainter painter(&tile);
      painter.setPen(TileColour(z, x, y).darker(130));
      painter.drawRect(0, 0, 255, 255);
      painter.drawText(QRect(0, 0, 256, 256), Qt::AlignCenter,
                       QString("%1/%2/%3").arg(z).arg(x).arg(y));
    }
    QBuffer buffer(&body);
    buffer.open(QIODevice::WriteOnly);
    tile.save(&buffer, "PNG");
    status = "200 OK";
    type = "image/png";
  } else {
    body = "no such tile\n";
  }
  Socket->write("HTTP/1.1 " + status + "\r\nContent-Type: " + type +
                "\r\nContent-Length: " + QByteArray::number(body.size()) +
                "\r\nCache-Control: public, max-age=86400\r\nConnection: keep-alive\r\n\r\n" +
                body);
}

} // namespace tarnwick::test
