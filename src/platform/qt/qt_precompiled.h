// The Qt headers most adapters include, compiled once for the library.
#pragma once
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QObject>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSerialPort>
#include <QString>
#include <QTimer>
#include <QWidget>
