#pragma once
#include <QtWidgets/QDialog>
