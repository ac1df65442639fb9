#pragma once
// A CTestBand with its surface on doubles, a test taskbar to dock into,
// HKEY_CURRENT_USER redirected and message boxes recorded. Whatever a test
// leaves, the window goes and no WM_QUIT stays queued for the next one.

#include <gtest/gtest.h>
#include <windows.h>

#include "RendererDoubles.h"
#include "TestBand.h"
#include "TestSupport.h"

class CBandWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_hkcu.IsActive());
    m_band.m_renderer.UsePlatform(&m_doubles.Platform());
  }
  void TearDown() override {
    if (m_band.m_hWnd != nullptr && IsWindow(m_band.m_hWnd)) {
      ::DestroyWindow(m_band.m_hWnd);
    }
    int nCode = 0;
    while (TakeQuitMessage(nCode)) {
    }
  }
  bool Dock() { return m_band.Create(IDD_BAND, GetDesktopWindow()) != FALSE; }

  CRegistryOverride m_hkcu{HKEY_CURRENT_USER};
  CRecordingApp m_app;
  CTestTaskbar m_taskbar;
  CRendererDoubles m_doubles;
  CTestBand m_band;
};
