// SPDX-License-Identifier: MIT
#include "results/csv.h"
#include "results/results_store.h"

#include "csv_reader.h"
#include "game_fixtures.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

#include <string_view>

using namespace results;
using fixtures::At;

class tst_ResultsCsv : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void field_data();
    void field();
    void startTime_data();
    void startTime();
    void cellsByMode_data();
    void cellsByMode();
    void hostileNamesRoundTrip();
    void formulaGuard_data();
    void formulaGuard();
    void oddCharacters_data();
    void oddCharacters();
};

void tst_ResultsCsv::field_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("written");
    QTest::newRow("plain") << "Ann"
                           << "Ann";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("comma") << "Smith, J"
                           << "\"Smith, J\"";
    QTest::newRow("quotes doubled") << "a \"b\""
                                    << "\"a \"\"b\"\"\"";
    QTest::newRow("line feed") << "a\nb"
                               << "\"a\nb\"";
    QTest::newRow("carriage return") << "a\rb"
                                     << "\"a\rb\"";
    QTest::newRow("spaces and markup stay as they are") << " <b>x</b> "
                                                        << " <b>x</b> ";
}

void tst_ResultsCsv::field()
{
    QFETCH(QString, text);
    QFETCH(QString, written);
    QCOMPARE(CsvField(text), written);
}

void tst_ResultsCsv::startTime_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("iso");
    QTest::newRow("east of UTC") << At(8, 1) << "2026-11-08T01:00:00+01:00";
    QTest::newRow("half-hour offset west") << QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5),
        QTimeZone(-(3 * 3600 + 1800))) << "2026-01-02T03:04:05-03:30";
    QTest::newRow("UTC has an explicit offset")
        << QDateTime(QDate(2026, 6, 30), QTime(23, 59, 59), Qt::UTC) << "2026-06-30T23:59:59+00:00";
}

void tst_ResultsCsv::startTime()
{
    QFETCH(QDateTime, time);
    QFETCH(QString, iso);
    QCOMPARE(IsoWithOffset(time), iso);
    QCOMPARE(QDateTime::fromString(iso, Qt::ISODate), time);
}

void tst_ResultsCsv::cellsByMode_data()
{
    QTest::addColumn<GameRecord>("game");
    QTest::addColumn<QString>("lines");
    GameRecord speed = fixtures::Speed(At(8, 20), { { "Ann", 7500 }, { "Bob", 0 } });
    speed.id = 4;
    QTest::newRow("speed: no preset, revolutions or mean")
        << speed
        << "4,2026-11-08T20:00:00+01:00,speed,,3,1,1,Ann,ttyS1,7500,,\r\n"
           "4,2026-11-08T20:00:00+01:00,speed,,3,1,2,Bob,ttyS2,0,,\r\n";
    GameRecord strength = fixtures::Strength(At(8, 21), 30, { { "Cy", 6000, 1500.256 } }, false);
    strength.id = 5;
    QTest::newRow("strength stopped early")
        << strength
        << "5,2026-11-08T21:00:00+01:00,strength,30,3,0,1,Cy,ttyS1,6000,1500.26,3000\r\n";
    GameRecord empty = fixtures::Speed(At(8, 22), {});
    empty.id = 6;
    QTest::newRow("game without players keeps a line")
        << empty << "6,2026-11-08T22:00:00+01:00,speed,,3,1,,,,,,\r\n";
}

void tst_ResultsCsv::cellsByMode()
{
    QFETCH(GameRecord, game);
    QFETCH(QString, lines);
    QCOMPARE(CsvLines(game), lines);
}

void tst_ResultsCsv::hostileNamesRoundTrip()
{
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    const QStringList hostile = fixtures::HostileNames();
    for (int i = 0; i < hostile.size(); ++i) {
        GameRecord game = fixtures::Speed(At(1 + i, 20), { { hostile[i], 1000 + i } });
        game.players[0].port = hostile[(i + 1) % hostile.size()];
        store.addGame(game);
    }
    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    QVERIFY(WriteCsv(buffer, store));
    const std::optional<QList<QStringList>> records = ReadCsv(QString::fromUtf8(buffer.data()));
    QVERIFY(records);
    QCOMPARE(records->size(), hostile.size() + 1);
    QCOMPARE(records->first().join(u','), QLatin1String(kCsvHeader));
    for (int i = 0; i < hostile.size(); ++i) {
        const QStringList &row = records->at(i + 1);
        QCOMPARE(row.size(), 12);
        QCOMPARE(row[7], hostile[i]);
        QCOMPARE(row[8], hostile[(i + 1) % hostile.size()]);
        QCOMPARE(row[9], QString::number(1000 + i));
    }
}

void tst_ResultsCsv::formulaGuard_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("safe");
    QTest::newRow("equals") << "=1+1"
                            << "'=1+1";
    QTest::newRow("plus") << "+1"
                          << "'+1";
    QTest::newRow("minus") << "-2+3"
                           << "'-2+3";
    QTest::newRow("at sign") << "@SUM(A1)"
                             << "'@SUM(A1)";
    QTest::newRow("tab") << "\t=1"
                         << "'\t=1";
    QTest::newRow("carriage return, quoted as well") << "\r=1"
                                                     << "\"'\r=1\"";
    QTest::newRow("formula with a comma, quoted after the apostrophe")
        << "=HYPERLINK(\"a\",\"b\")"
        << "\"'=HYPERLINK(\"\"a\"\",\"\"b\"\")\"";
    QTest::newRow("empty stays empty") << ""
                                       << "";
    QTest::newRow("a space before the sign is no formula") << " =1"
                                                           << " =1";
    QTest::newRow("sign later in the name") << "Ann-Marie"
                                            << "Ann-Marie";
    QTest::newRow("line feed first is no formula") << "\n=1"
                                                   << "\"\n=1\"";
}

void tst_ResultsCsv::formulaGuard()
{
    QFETCH(QString, text);
    QFETCH(QString, safe);
    QCOMPARE(CsvTextCell(text, CsvText::SpreadsheetSafe), safe);
    QCOMPARE(CsvTextCell(text, CsvText::Raw), CsvField(text));
    // The whole line: the name and the port cells are both guarded.
    GameRecord game = fixtures::Speed(At(1, 20), { { text, 1000 } });
    game.players[0].port = text;
    const QString line = CsvLines(game);
    QVERIFY(line.contains(u',' + safe + u',' + safe + u','));
}

void tst_ResultsCsv::oddCharacters_data()
{
    // The name as typed, as the file keeps it, and its cell in the CSV file (either style); "?"
    // stands for U+FFFD.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("cell");
    const auto text = [](std::u16string_view units) {
        QString s = QString::fromUtf16(units.data(), qsizetype(units.size()));
        return s.replace(u'?', QChar(0xFFFD));
    };
    QTest::newRow("lone high half before a space is not merged with it")
        << text(u"a\xD800 b") << text(u"a? b") << text(u"a? b");
    QTest::newRow("lone high half before a letter")
        << text(u"a\xDBFFz") << text(u"a?z") << text(u"a?z");
    QTest::newRow("lone low half") << text(u"\xDC00x") << text(u"?x") << text(u"?x");
    QTest::newRow("high half at the end") << text(u"x\xD83D") << text(u"x?") << text(u"x?");
    QTest::newRow("two high halves, then a pair")
        << text(u"\xD800\xD83D\xDE00") << text(u"?\xD83D\xDE00") << text(u"?\xD83D\xDE00");
    QTest::newRow("NUL is kept in the file, never in the CSV")
        << text(std::u16string_view(u"a\0b", 3)) << text(std::u16string_view(u"a\0b", 3))
        << text(u"a?b");
    QTest::newRow("bell, escape and DEL")
        << text(u"\a\x1B[31m\x7F") << text(u"\a\x1B[31m\x7F") << text(u"??[31m?");
    QTest::newRow("control first is no formula, and no apostrophe")
        << text(u"\x01=1") << text(u"\x01=1") << text(u"?=1");
    QTest::newRow("tab, line feed and carriage return stay")
        << text(u"a\tb\nc\rd") << text(u"a\tb\nc\rd") << text(u"\"a\tb\nc\rd\"");
}

void tst_ResultsCsv::oddCharacters()
{
    QFETCH(QString, name);
    QFETCH(QString, stored);
    QFETCH(QString, cell);
    QTemporaryDir dir;
    {
        ResultsStore store(dir.path());
        GameRecord game = fixtures::Speed(At(1, 20), { { name, 1000 } });
        game.players[0].port = name;
        store.addGame(game);
    }
    ResultsStore store(dir.path());
    const std::optional<GameRecord> read = store.game(store.recentGames(0, 1).first().id);
    QVERIFY(read);
    QCOMPARE(read->players[0].name, stored);
    QCOMPARE(read->players[0].port, stored);
    for (const CsvText style : { CsvText::SpreadsheetSafe, CsvText::Raw }) {
        QCOMPARE(CsvTextCell(name, style), cell);
        QBuffer buffer;
        QVERIFY(buffer.open(QIODevice::WriteOnly));
        QVERIFY(WriteCsv(buffer, store, nullptr, style));
        for (const char byte : buffer.data()) {
            const auto b = static_cast<unsigned char>(byte);
            QVERIFY2(b >= 0x20 || b == '\t' || b == '\n' || b == '\r', qPrintable(cell));
            QVERIFY(b != 0x7F);
        }
        QVERIFY(QString::fromUtf8(buffer.data()).contains(u',' + cell + u',' + cell + u','));
    }
}

QTEST_GUILESS_MAIN(tst_ResultsCsv)
#include "tst_results_csv.moc"
