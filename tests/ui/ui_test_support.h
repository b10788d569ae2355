//===- tests/ui/ui_test_support.h - Helpers for the window tests -----------===//
///
/// \file
/// ModalAnswerer answers the modal windows a command opens (message boxes,
/// the About box) while the command is still running, the way a user would,
/// and records what they showed. UrlRecorder stands in for the desktop's
/// default handler of a URL scheme and records what was handed to it.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <ostream>

class QWidget;

class ModalAnswerer : public QObject {
  Q_OBJECT

public:
  /// Starts watching. Message boxes are answered with OK unless `onModal`
  /// handles the window first (answers true).
  explicit ModalAnswerer(std::function<bool(QWidget *)> onModal = {});
  ~ModalAnswerer() override;

  /// The texts of the message boxes answered so far, in order.
  QStringList messages;
  /// The captions of the message boxes answered so far.
  QStringList captions;
  /// The class names of the other modal windows handled by `onModal`.
  QStringList others;

private:
  void Poll();

  QTimer timer;
  std::function<bool(QWidget *)> onModal;
};

/// Records the URLs opened through QDesktopServices for a set of schemes.
class UrlRecorder : public QObject {
  Q_OBJECT

public:
  explicit UrlRecorder(const QStringList &schemes);
  ~UrlRecorder() override;

  QList<QUrl> opened;

public slots:
  void Open(const QUrl &url);

private:
  QStringList schemes;
};

/// Lets test failures print Qt strings as text.
void PrintTo(const QString &text, std::ostream *out);
void PrintTo(const QStringList &texts, std::ostream *out);
