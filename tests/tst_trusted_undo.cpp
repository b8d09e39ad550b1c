#include <QtTest>
class TrustedUndo : public QObject { Q_OBJECT };
QTEST_MAIN(TrustedUndo)
#include "tst_trusted_undo.moc"
