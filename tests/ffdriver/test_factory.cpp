// The class factory and the module count, linked in directly (the DLL's own
// exports are tested in test_ffdll).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ffdriver/ffmodule.h"
#include "tests/doubles/debugcapture.h"
#include "tests/ffdriver/ff_test_util.h"

namespace {

LONG Count() { return InterlockedCompareExchange(&g_cModuleRefs, 0, 0); }

TEST(ClassFactory, OnlyTheDriversClassIsServed)
{
    void *p = &p;
    EXPECT_EQ(FFDriver_GetClassObject(IID_IUnknown, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    GUID almost = CLSID_TavrelEffectDriver;
    almost.Data4[7] ^= 1;
    p = &p;
    EXPECT_EQ(FFDriver_GetClassObject(almost, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
}

TEST(ClassFactory, ReferencesAndLocksAreModuleCounts)
{
    LONG c0 = Count();
    IClassFactory *cf = nullptr;
    ASSERT_EQ(FFDriver_GetClassObject(CLSID_TavrelEffectDriver, IID_IClassFactory, reinterpret_cast<void **>(&cf)),
              S_OK);
    EXPECT_EQ(static_cast<void *>(cf), &g_ClassFactory);
    EXPECT_EQ(Count(), c0 + 1);
    EXPECT_EQ(FFDriver_CanUnloadNow(), S_FALSE);
    EXPECT_EQ(cf->LockServer(TRUE), S_OK);
    EXPECT_EQ(Count(), c0 + 2);
    EXPECT_EQ(cf->LockServer(FALSE), S_OK);
    EXPECT_EQ(Count(), c0 + 1);

    void *p = &p;
    EXPECT_EQ(cf->QueryInterface(IID_IDirectInputEffectDriver, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(cf->Release(), static_cast<ULONG>(c0));
    if (c0 == 0) {
        EXPECT_EQ(FFDriver_CanUnloadNow(), S_OK);
    }
}

TEST(ClassFactory, CreatedDriversKeepTheModuleLoaded)
{
    IClassFactory *cf = reinterpret_cast<IClassFactory *>(&g_ClassFactory);
    LONG c0 = Count();
    void *outer = &outer; // never called
    void *p = &p;
    EXPECT_EQ(cf->CreateInstance(static_cast<IUnknown *>(outer), IID_IDirectInputEffectDriver, &p),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(p, &p) << "left untouched";
    EXPECT_EQ(Count(), c0);

    EXPECT_EQ(cf->CreateInstance(nullptr, IID_IClassFactory, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(Count(), c0 + 1) << "the refused object is gone, the count stays";

    IDirectInputEffectDriver *drv = nullptr;
    ASSERT_EQ(cf->CreateInstance(nullptr, IID_IDirectInputEffectDriver, reinterpret_cast<void **>(&drv)), S_OK);
    EXPECT_EQ(Count(), c0 + 2);
    EXPECT_EQ(drv->AddRef(), 2u);
    EXPECT_EQ(drv->Release(), 1u);
    // Through the C++ view of the interface, as DirectInput's callers see it.
    DIDRIVERVERSIONS v = {sizeof(v)};
    EXPECT_EQ(drv->GetVersions(&v), S_OK);
    EXPECT_EQ(v.dwFFDriverVersion, 0x0F1Fu);
    EXPECT_EQ(drv->Release(), 0u);
    EXPECT_EQ(Count(), c0 + 2);
    EXPECT_EQ(FFDriver_CanUnloadNow(), S_FALSE);
}

} // namespace

namespace {

TEST(DebugLines, EveryFactoryCallWritesItsPrefixedLine)
{
    DebugCapture cap;
    ASSERT_TRUE(cap.Start());
    IClassFactory *cf = nullptr;
    ASSERT_EQ(FFDriver_GetClassObject(CLSID_TavrelEffectDriver, IID_IClassFactory, reinterpret_cast<void **>(&cf)),
              S_OK);
    void *outer = &outer;
    void *p = nullptr;
    EXPECT_EQ(cf->CreateInstance(static_cast<IUnknown *>(outer), IID_IDirectInputEffectDriver, &p),
              CLASS_E_NOAGGREGATION);
    cf->Release();
    EXPECT_TRUE(cap.WaitFor("VIZIDIVU:CClassFactory_CreateInstance\n", 5000));
    cap.Stop();
    std::vector<std::string> mine = cap.LinesFrom(GetCurrentProcessId());
    EXPECT_EQ(mine, (std::vector<std::string>{"VIZIDIVU:CClassFactory_QueryInterface\n",
                                              "VIZIDIVU:CClassFactory_CreateInstance\n"}));
}

TEST(DebugLines, ALongLineIsCutToTheBufferNotOverrun)
{
    DebugCapture cap;
    ASSERT_TRUE(cap.Start());
    std::string longText(2000, 'x');
    EXPECT_EQ(DebugPrint("%s%d", longText.c_str(), 7), 502);
    EXPECT_EQ(DebugPrint("%d-%s", 42, "ok"), 5);
    EXPECT_TRUE(cap.WaitFor("VIZIDIVU:42-ok", 5000));
    cap.Stop();
    std::vector<std::string> mine = cap.LinesFrom(GetCurrentProcessId());
    ASSERT_EQ(mine.size(), 2u);
    EXPECT_EQ(mine[0], "VIZIDIVU:" + std::string(502, 'x'));
}

} // namespace
