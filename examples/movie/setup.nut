// The start-up settings of the movie example: read once, before the window opens.
title = "Quillorane movie";
width = 640;
height = 480;
