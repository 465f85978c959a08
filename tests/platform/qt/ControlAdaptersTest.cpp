#include "platform/Bundle.h"
#include "platform/qt/QtImage.h"
#include "platform/qt/QtImageLoader.h"
#include "platform/qt/QtProgressIndicator.h"
#include "platform/qt/QtTextField.h"
#include "support/TemporaryFolder.h"

#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QProgressBar>
#include <cmath>
#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(QtTextFieldTest, ShowsTextLiterallyAndKeepsItsBytes) {
    QLabel label;
    QtTextField field(label);
    const std::string text = "<b>caf\xe9</b> %@ &amp;";
    field.setStringValue(text);
    EXPECT_EQ(label.textFormat(), Qt::PlainText);
    EXPECT_TRUE(label.text().startsWith("<b>caf"));
    EXPECT_TRUE(label.text().endsWith("</b> %@ &amp;"));
    EXPECT_EQ(field.stringValue(), text);
}

TEST(QtProgressIndicatorTest, BarShowsTheValueInProportionToTheMaximum) {
    struct Case {
        double maxValue;
        double value;
        double shown; // part of the bar that is filled
    };
    const Case cases[] = {
        {100, 0, 0}, {100, 50, 0.5}, {3, 1, 1.0 / 3},   {10, 20, 1},  {10, -5, 0},      {0, 0, 0},
        {0, 5, 0},   {-4, 2, 0},     {1e12, 5e11, 0.5}, {10, NAN, 0}, {INFINITY, 5, 0}, {10, INFINITY, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " of " << c.maxValue);
        QProgressBar bar;
        QtProgressIndicator progress(bar);
        progress.setMaxValue(c.maxValue);
        progress.setDoubleValue(c.value);
        EXPECT_EQ(bar.minimum(), 0);
        EXPECT_NEAR(static_cast<double>(bar.value()) / bar.maximum(), c.shown, 1e-4);
        EXPECT_EQ(progress.maxValue(), c.maxValue);
        EXPECT_TRUE(progress.doubleValue() == c.value ||
                    (std::isnan(c.value) && std::isnan(progress.doubleValue())));
    }
}

TEST(FolderIconsTest, BothIconResourcesHoldA128And256PixelImage) {
    const Bundle bundle(":/resources");
    for (const char* name : {"Zell", "Zell_bad"}) {
        SCOPED_TRACE(name);
        const std::optional<std::string> path = bundle.pathForResource(name, "icns");
        ASSERT_EQ(path, ":/resources/" + std::string(name) + ".icns");

        QImageReader reader(QString::fromStdString(*path));
        EXPECT_EQ(reader.format(), "icns");
        EXPECT_FALSE(reader.read().isNull()) << reader.errorString().toStdString();

        QtImageLoader loader;
        const auto image = std::dynamic_pointer_cast<const QtImage>(loader.imageWithContentsOfFile(*path));
        ASSERT_NE(image, nullptr);
        const QList<QSize> sizes = image->icon().availableSizes();
        EXPECT_TRUE(sizes.contains(QSize(128, 128)));
        EXPECT_TRUE(sizes.contains(QSize(256, 256)));
    }
}

TEST(QtImageLoaderTest, GivesNoImageForWhatIsNoImage) {
    test::TemporaryFolder folder;
    QtImageLoader loader;
    EXPECT_EQ(loader.imageWithContentsOfFile(folder.writeFile("notes.icns", "not an image")), nullptr);
    EXPECT_EQ(loader.imageWithContentsOfFile(folder.writeFile("empty.png", "")), nullptr);
    EXPECT_EQ(loader.imageWithContentsOfFile(folder / "missing.icns"), nullptr);
    EXPECT_EQ(loader.imageWithContentsOfFile(folder.makeFolder("folder.icns")), nullptr);
    EXPECT_EQ(loader.imageWithContentsOfFile(":/resources/Missing.icns"), nullptr);
}

TEST(QtImageLoaderTest, ReadsAFileWhoseNameIsNotUtf8) {
    test::TemporaryFolder folder;
    QFile resource(":/resources/Zell.icns");
    ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
    const std::string path = folder.writeFile("Zell \xe9\xff.icns", resource.readAll().toStdString());
    EXPECT_NE(QtImageLoader().imageWithContentsOfFile(path), nullptr);
}

} // namespace
} // namespace quorvane
