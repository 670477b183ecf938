// Every GUI test needs one QApplication for its whole run.
#include <QApplication>
#include <gtest/gtest.h>

namespace
{

class QtEnvironment : public ::testing::Environment
{
  public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "orvane-gui-test";
        static char *argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }
    void TearDown() override { delete app_; }

  private:
    QApplication *app_ = nullptr;
};

const auto *const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace
