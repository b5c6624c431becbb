// Resource ids of the DirectX 7 driver's "Select Device" dialog
// (dx7driver.rc, included by the program's resource script). Plain #defines:
// the resource compiler reads this file too.
#ifndef ZENDAR_GFXDRIVER_DX7DRIVER_DX7RESOURCE_H
#define ZENDAR_GFXDRIVER_DX7DRIVER_DX7RESOURCE_H

#define IDD_SELECT_DEVICE  2010
#define IDC_DEVICE_LIST    2011
#define IDC_DESKTOP_WINDOW 2012
#define IDC_MODE_LIST      2013

#endif
