// Screenshots of the two result pages after one execution of the emulated module with every function
// on, side by side as the main page holds them, for a person to judge.
#include <QHBoxLayout>
#include <QTest>

#include "page_results.h"
#include "test_folder.h"
#include "ui/pages/image_dlg.h"
#include "ui/pages/result_log_dlg.h"
#include "ui_test_support.h"

using namespace qzm;

class PagesScreenshotTest : public QObject {
    Q_OBJECT

private slots:
    void afterOneExecution() {
        ScopedWorkingFolder folder;
        const qzm_test::ScriptedExecution execution = qzm_test::EmulatedExecution();
        QCOMPARE(execution.result.faces.size(), std::size_t{3});
        QCOMPARE(execution.frame.Width(), 320);

        QWidget mainPage;
        auto* layout = new QHBoxLayout(&mainPage);
        auto* image = new CImageDlg(&mainPage);
        auto* log = new CResultLogDlg(CSettingsStore(), &mainPage);
        layout->addWidget(image, 0, Qt::AlignTop);
        layout->addWidget(log, 1);
        const std::vector<UserName> users{{1, "Ada Lovelace"}, {2, "Grace Hopper"}};
        image->SetUserList(users);
        log->SetUserList(users);

        log->AddHeader("0.1.0.0", "1.2.3.4");
        image->SetImage(execution.frame, qzm_test::AllFunctions(), &execution.result);
        log->AddResult(qzm_test::AllFunctions(), &execution.result, 0, 0, 87);
        QVERIFY(QTest::qWaitFor([&] { return log->BlockCount() == 2; }));
        QVERIFY(log->LogText().contains("Recognition \tAda Lovelace Confidence:812"));

        mainPage.resize(image->sizeHint().width() + 560, image->sizeHint().height() + 20);
        mainPage.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mainPage));
        QVERIFY(!qzm_test::SaveScreenshot(*image, QStringLiteral("image_page")).isEmpty());
        QVERIFY(!qzm_test::SaveScreenshot(*log, QStringLiteral("result_log_page")).isEmpty());
        QVERIFY(!qzm_test::SaveScreenshot(mainPage, QStringLiteral("result_pages")).isEmpty());

        // Before any execution the picture shows the placeholder.
        CImageDlg fresh;
        QVERIFY(!qzm_test::SaveScreenshot(fresh, QStringLiteral("image_page_placeholder")).isEmpty());
    }
};

QZM_UI_TEST_CLASS(PagesScreenshotTest)
#include "pages_screenshot_test.moc"
