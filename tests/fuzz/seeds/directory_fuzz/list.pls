[playlist]
NumberOfEntries=3
File1=http://s1.example:8000/live
Title1=One
File2=../relative/stream
File3=rtsp://bad.example/x
Length1=-1
Version=2
