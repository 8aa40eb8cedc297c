#pragma once
// Creates the widget that shows the box scene in the main window. The window
// only knows it as a QWidget; it tells the model after every frame through
// TfrmMainModel::GLSceneViewer1PostRender.

class QWidget;

namespace velmora {

class TfrmMainModel;

QWidget* createSceneViewer(QWidget* parent, TfrmMainModel& model);

} // namespace velmora
