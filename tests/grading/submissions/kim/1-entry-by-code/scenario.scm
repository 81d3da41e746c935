tick CheckBox1
turn 2
expect Edit2.Text code : 
