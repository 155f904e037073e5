// The server as COM sees it: class factory, server locks, and the sheet
// object's reference counting through the factory.
#include <gtest/gtest.h>

#include "controlpanel/digcpropsheet.h"
#include "controlpanel/module.h"
#include "tests/controlpanel/module_state.h"

namespace {

const GUID kForeign = {0x12345678, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};
void *const kJunk = reinterpret_cast<void *>(static_cast<INT_PTR>(0x5A5A5A5A));

class Factory : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(EnsureModuleState());
        m_locksBefore = g_cServerLocks;
    }
    void TearDown() override { EXPECT_EQ(g_cServerLocks, m_locksBefore) << "a server lock leaked"; }

    IClassFactory *NewFactory()
    {
        void *pv = nullptr;
        EXPECT_EQ(DllGetClassObject(CLSID_ControlPanelServer, IID_IClassFactory, &pv), S_OK);
        return static_cast<IClassFactory *>(pv);
    }

    LONG m_locksBefore = 0;
};

TEST_F(Factory, RefusesOtherClassesFirstThenAnyInterfaceButIClassFactory)
{
    void *pv = kJunk;
    EXPECT_EQ(DllGetClassObject(kForeign, kForeign, &pv), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(pv, nullptr);
    pv = kJunk;
    EXPECT_EQ(DllGetClassObject(CLSID_ControlPanelServer, IID_IUnknown, &pv), E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);
    EXPECT_EQ(g_cServerLocks, m_locksBefore);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST_F(Factory, EachCallGivesANewFactoryThatHoldsTheServer)
{
    IClassFactory *a = NewFactory();
    IClassFactory *b = NewFactory();
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    EXPECT_EQ(g_cServerLocks, m_locksBefore + 2);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);

    EXPECT_EQ(a->Release(), 0u);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(b->Release(), 0u);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST_F(Factory, CreateInstanceRefusalsLeaveNothingBehind)
{
    IClassFactory *f = NewFactory();
    ASSERT_TRUE(f);
    LONG withFactory = g_cServerLocks;

    // Any outer object is refused before anything is made; it is never used.
    void *pv = kJunk;
    EXPECT_EQ(f->CreateInstance(static_cast<IUnknown *>(kJunk), IID_IUnknown, &pv), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(pv, nullptr);
    EXPECT_EQ(g_cServerLocks, withFactory);

    pv = kJunk;
    EXPECT_EQ(f->CreateInstance(nullptr, IID_IClassFactory, &pv), E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);
    EXPECT_EQ(g_cServerLocks, withFactory);
    f->Release();
}

TEST_F(Factory, SheetObjectIsOneObjectUnderBothInterfacesAndCountsItsReferences)
{
    IClassFactory *f = NewFactory();
    ASSERT_TRUE(f);
    IUnknown *unk = nullptr;
    ASSERT_EQ(f->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void **>(&unk)), S_OK);
    f->Release();
    EXPECT_EQ(g_cServerLocks, m_locksBefore + 1);

    IDIGameCntrlPropSheet *sheet = nullptr;
    ASSERT_EQ(unk->QueryInterface(IID_IDIGameCntrlPropSheet, reinterpret_cast<void **>(&sheet)), S_OK);
    EXPECT_EQ(static_cast<void *>(sheet), static_cast<void *>(unk));
    EXPECT_EQ(sheet->Release(), 1u);

    // Refused interfaces neither hand anything out nor change the count.
    void *pv = kJunk;
    EXPECT_EQ(unk->QueryInterface(IID_IClassFactory, &pv), E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);
    EXPECT_EQ(unk->AddRef(), 2u);
    EXPECT_EQ(unk->Release(), 1u);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(unk->Release(), 0u);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST_F(Factory, LockServerCountsEvenWhenUnbalanced)
{
    IClassFactory *f = NewFactory();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->LockServer(TRUE), S_OK);
    f->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE); // the lock alone holds the server
    EXPECT_EQ(g_cServerLocks, m_locksBefore + 1);

    f = NewFactory();
    EXPECT_EQ(f->LockServer(FALSE), S_OK);
    EXPECT_EQ(f->LockServer(FALSE), S_OK);
    f->Release();
    EXPECT_EQ(g_cServerLocks, m_locksBefore - 1);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE); // negative is not zero

    f = NewFactory();
    EXPECT_EQ(f->LockServer(TRUE), S_OK);
    f->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

} // namespace
