#pragma once
// Scaffold: replaced by the plot helpers.
class RealScaleDraw
{
};
