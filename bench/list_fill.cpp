// Times the mail list of one large folder: a database with one folder of
// MAILS messages of realistic sizes is written, scanned, and the folder is
// shown in the item model: the rows from the stores (what the window shows
// first), the text pass (reading the message texts it needs in one pass in
// file order), sorts by date and by sender, and search keystrokes. A second
// listing must read nothing.
//
// Usage: list-fill [DIRECTORY] [--mails N]      (default 50000; the database
//        is written to DIRECTORY, or to a temporary directory)

#include "BenchText.h"
#include "DatabaseBuilder.h"
#include "archive/ItemListModel.h"
#include "archive/MailList.h"
#include "archive/BlockScanner.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

using namespace testdb;

namespace {

constexpr quint32 kFolder = 1;

using benchtext::words;

// Mostly plain texts; 1 in 40 with an attachment, 1 in 10 whose record has
// neither sender nor subject (the list then reads them from the text), 1 in
// 25 without stored text.
bool writeDatabase(const QString& path, int mails)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QRandomGenerator rng(2008);
    bool ok = file.write(Database().bytes()) > 0;
    ok &= file.write(flidBlock({{kFolder, {}, QStringLiteral("Inbox")}})) > 0;
    for (int i = 0; i < mails && ok; ++i) {
        const quint32 mailId = static_cast<quint32>(i) + 1;
        const QByteArray number = QByteArray::number(i);
        MailRecordBlock r;
        r.folderId = kFolder;
        if (i % 10 != 3) {
            r.sender = Address{"person" + number + "@example.com", QStringLiteral("Person %1").arg(i)};
            r.subject = utf16be(QStringLiteral("Message %1 about the quarterly report").arg(i));
        }
        const QByteArray text = words(rng, 1500 + static_cast<int>(rng.bounded(9000)));
        if (i % 25 == 24) {
            r.body = narrow(text);
            ok &= file.write(mlrcBlock(r)) > 0;
            continue;
        }
        r.mailId = mailId;
        ok &= file.write(mlrcBlock(r)) > 0;
        QByteArray message = "Date: Wed, 5 Mar 2008 10:11:12 +0100\rFrom: Person " + number + " <person" + number
            + "@example.com>\rSubject: Message " + number + "\rMIME-Version: 1.0\r";
        if (i % 40 == 0)
            message += "Content-Type: multipart/mixed; boundary=\"b\"\r\r--b\rContent-Type: text/plain\r\r" + text
                + "\r--b\rContent-Type: application/pdf\rContent-Description: report.pdf\r"
                  "Content-Transfer-Encoding: base64\r\r"
                + text.toBase64() + "\r--b--\r";
        else
            message += "Content-Type: text/plain\r\r" + text + "\r";
        ok &= file.write(msrcBlock(mailId, message)) > 0;
    }
    return ok && file.flush();
}

} // namespace

int main(int argc, char* argv[])
{
    QString dirPath;
    int mails = 50000;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "--mails" && i + 1 < argc)
            mails = QByteArray(argv[++i]).toInt();
        else if (!arg.startsWith("--"))
            dirPath = QString::fromLocal8Bit(arg);
        else {
            std::fprintf(stderr, "usage: list-fill [DIRECTORY] [--mails N]\n");
            return 2;
        }
    }
    QTemporaryDir temporary;
    const QString path = (dirPath.isEmpty() ? temporary.path() : dirPath) + QStringLiteral("/Database-list-fill");
    if (!QFile::exists(path) && !writeDatabase(path, mails)) {
        std::fprintf(stderr, "list-fill: cannot write %s\n", qPrintable(path));
        return 1;
    }

    er::ScanState state;
    QElapsedTimer timer;
    timer.start();
    if (er::scanDatabase(path, state).kind != er::ScanOutcome::Completed) {
        std::fprintf(stderr, "list-fill: the scan of %s failed\n", qPrintable(path));
        return 1;
    }
    const double scanSeconds = timer.nsecsElapsed() / 1e9;

    const auto lap = [&timer]() {
        const double seconds = timer.nsecsElapsed() / 1e9;
        timer.restart();
        return seconds;
    };
    er::ItemListModel model(state);
    er::ItemListProxy proxy;
    proxy.setSourceModel(&model);
    // As in the window after a sort: the proxy follows the text pass's changes.
    proxy.sort(er::ItemListModel::MailText, Qt::AscendingOrder);
    timer.restart();
    model.showMailFolder(kFolder);
    const double firstRowsSeconds = lap();
    model.readTexts();
    const double textPassSeconds = lap();
    proxy.sort(er::ItemListModel::MailDate, Qt::DescendingOrder);
    const double dateSortSeconds = lap();
    proxy.sort(er::ItemListModel::MailSender, Qt::AscendingOrder);
    const double senderSortSeconds = lap();
    // The first key of a search keeps most rows; a later one few.
    proxy.setSearchText(QStringLiteral("p"));
    const double firstKeySeconds = lap();
    const int firstKeyRows = proxy.rowCount();
    proxy.setSearchText(QStringLiteral("person 4711"));
    const double laterKeySeconds = lap();
    const int laterKeyRows = proxy.rowCount();
    proxy.setSearchText(QString());
    lap();

    const std::vector<er::MailListRow> second = er::mailListRows(state, kFolder);
    const double secondSeconds = lap();

    int marked = 0, fromText = 0;
    for (int row = 0; row < model.rowCount(); ++row) {
        marked += model.mailRow(row).hasAttachment;
        fromText += model.mailRow(row).text.startsWith(QLatin1Char(' '));
    }
    const auto rows = static_cast<size_t>(model.rowCount());
    std::printf("database: %s (%lld bytes), scan %.2f s\n", qPrintable(path), static_cast<long long>(QFile(path).size()),
                scanSeconds);
    std::printf("rows: %zu (%d with an attachment mark, %d named from their text)\n", rows, marked, fromText);
    std::printf("first rows (model filled from the stores): %.3f s\n", firstRowsSeconds);
    std::printf("text pass: %.3f s; complete list: %.3f s, %.0f rows/s\n", textPassSeconds,
                firstRowsSeconds + textPassSeconds, rows / qMax(firstRowsSeconds + textPassSeconds, 1e-9));
    std::printf("sort by date: %.3f s; by sender: %.3f s\n", dateSortSeconds, senderSortSeconds);
    std::printf("search keystroke \"p\": %.3f s (%d rows); \"person 4711\": %.3f s (%d rows)\n", firstKeySeconds,
                firstKeyRows, laterKeySeconds, laterKeyRows);
    std::printf("second listing: %.3f s, %.0f rows/s\n", secondSeconds, second.size() / qMax(secondSeconds, 1e-9));
    return rows == second.size() ? 0 : 1;
}
