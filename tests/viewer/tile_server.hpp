#pragma once

#include <QColor>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTcpServer>

namespace tarnwick::test {

/// A tile server on 127.0.0.1 for the map: answers GET /Z/X/Y.png with a tile it draws, a
/// plain colour that depends on the tile (TileColour), cacheable for a day, and counts the
/// requests per path. Other paths get 404.
class TileServer : public QObject {
  Q_OBJECT

 public:
  /// With Labels, each tile also shows its zoom, column and row (for pictures of the map).
  explicit TileServer(bool Labels = false, QObject* Parent = nullptr);

  /// Listens on a free port of 127.0.0.1 (Port, when not 0); false when it cannot.
  bool Start(quint16 Port = 0);
  /// Stops listening and drops the connections: clients are refused from now on.
  void Stop();
  quint16 Port() const { return port_; }
  /// The XYZ template that reaches this server.
  QString Template() const;

  /// The colour that fills tile X, Y at Z.
  static QColor TileColour(int Z, int X, int Y);
  /// Requests for Path ("/Z/X/Y.png") so far, and for any path.
  int Requests(const QString& Path) const { return requests_.value(Path); }
  int Requests() const { return total_; }
  /// How many different paths were asked for.
  int Paths() const { return static_cast<int>(requests_.size()); }
  /// The User-Agent of the last request.
  QByteArray LastUserAgent() const { return userAgent_; }

 private:
  void Answer(QTcpSocket* Socket);

  QTcpServer server_;
  bool labels_;
  quint16 port_ = 0;
  QHash<QString, int> requests_;
  int total_ = 0;
  QByteArray userAgent_;
};

} // namespace tarnwick::test
